#version 330
// Instanced: each instance's matrix is four texels of the instance buffer. iProjectionMode 0 draws
// the quad as placed; 1 and 2 keep the instance's position but face the camera.
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mViewMatrix;
};
uniform samplerBuffer InstancesTextureBuffer;
uniform int iProjectionMode;
in vec4 vVertex;
in vec2 vTexCoord0;
out vec2 vTexCoord;

void main() {
	int i = 4 * gl_InstanceID;
	mat4 M = mat4(texelFetch(InstancesTextureBuffer, i), texelFetch(InstancesTextureBuffer, i + 1),
	              texelFetch(InstancesTextureBuffer, i + 2), texelFetch(InstancesTextureBuffer, i + 3));
	vTexCoord = vTexCoord0;
	if (iProjectionMode == 0) {
		gl_Position = mProjectionMatrix * mViewMatrix * M * vVertex;
	} else if (iProjectionMode == 1) {
		vec4 vCentre = mViewMatrix * M * vec4(0.0, 0.0, 0.0, 1.0);
		gl_Position = mProjectionMatrix * vec4(vCentre.xyz + mat3(M) * vVertex.xyz, 1.0);
	} else {
		gl_Position = mProjectionMatrix * (mViewMatrix * M * vec4(0.0, 0.0, 0.0, 1.0) + M * vec4(vVertex.xyz, 0.0));
	}
}
